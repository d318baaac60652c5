Land subsidence: a basin drawn down below its preconsolidation head by pumping
3 x 3 cells of 100 m, one well in every cell, no inflow across the edges; 100 days in 10 steps
         1         3         3         1         4         0

         0         1
CONSTANT 1
     -999.
CONSTANT 100.0
     100.0        10       1.0
