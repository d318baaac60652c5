Reservoir on a valley side, leaking into a confined aquifer
1 row x 6 columns; head fixed at 0 m in column 6
         1         1         6         1         4         0

         0         0
INTERNAL 1 (FREE) 3
  1  1  1  1  1 -1
     -999.
CONSTANT 0.0
       1.0         1       1.0
