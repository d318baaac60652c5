Aquitard between two aquifers: the lower aquifer is drawn down by 10 m at time 0
Layer 1 held at 100 m; layer 2 tied to a constant head of 90 m in column 1
         2         1         2         2         4         0

         0         0
INTERNAL 1 (FREE) 3
 -1 -1
INTERNAL 1 (FREE) 3
 -1  1
     -999.
CONSTANT 100.0
INTERNAL 1.0 (FREE) 3
 90.0 100.0
       0.5        25       1.0
      24.5      1225       1.0
