A well pumped to a recorded schedule, near a river held at 50 m
1 row x 5 columns, confined; 40 days in 7 equal steps
         1         1         5         1         4         0

         0         1
INTERNAL 1 (FREE) 3
 -1  1  1  1  1
     -999.
CONSTANT 50.0
      40.0         7       1.0
