Fault barrier: confined aquifer crossed by a low-permeability fault
3 rows x 10 columns, heads fixed at 20 m (column 1) and 10 m (column 10)
         1         3        10         1         4         0

         0         0
INTERNAL 1 (FREE) 3
 -1  1  1  1  1  1  1  1  1 -1
 -1  1  1  1  1  1  1  1  1 -1
 -1  1  1  1  1  1  1  1  1 -1
     -999.
INTERNAL 1.0 (FREE) 3
 20.0 15.0 15.0 15.0 15.0 15.0 15.0 15.0 15.0 10.0
 20.0 15.0 15.0 15.0 15.0 15.0 15.0 15.0 15.0 10.0
 20.0 15.0 15.0 15.0 15.0 15.0 15.0 15.0 15.0 10.0
       1.0         1       1.0
