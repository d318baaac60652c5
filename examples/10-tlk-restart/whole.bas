Pumping and recovery under a leaky, storing aquitard: the whole 10 days
Layer 1 held at 100 m; layer 2 one pumped cell below a 5 m aquitard
         2         1         1         2         4         0

         0         0
CONSTANT -1
CONSTANT 1
     -999.
CONSTANT 100.0
CONSTANT 100.0
       2.0        10       1.0
       8.0        40       1.0
