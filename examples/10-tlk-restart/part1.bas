Pumping and recovery under a leaky, storing aquitard: days 0 to 2
Layer 1 held at 100 m; layer 2 one pumped cell below a 5 m aquitard
         2         1         1         1         4         0

         0         0
CONSTANT -1
CONSTANT 1
     -999.
CONSTANT 100.0
CONSTANT 100.0
       2.0        10       1.0
