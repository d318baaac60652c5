Pumping and recovery under a leaky, storing aquitard: days 2 to 10
Layer 1 held at 100 m; layer 2 one pumped cell below a 5 m aquitard
         2         1         1         1         4         0

         0         0
CONSTANT -1
CONSTANT 1
     -999.
CONSTANT 100.0
OPEN/CLOSE part1.hds 1.0 (BINARY) -1
       8.0        40       1.0
