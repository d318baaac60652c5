Theis: one well pumping a confined aquifer from rest
55 x 55 cells, 10 m at the centre widening outwards by 1.3; outer edges are no-flow
         1        55        55         1         4         0

         0         1
CONSTANT 1
     -999.
CONSTANT 100.0
       1.0        20       1.2
