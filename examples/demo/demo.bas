Aquifex demo: one layer of 3 rows by 4 columns, no flow package and no solver
Heads stay as read; the run steps through two stress periods of days
         1         3         4         2         4         1

         0         1
INTERNAL 1 (FREE) 3
-1 1 1 1
-1 1 1 1
-1 1 1 0
     999.0
INTERNAL 1.0 (FREE) 3
100.0 99.0 98.0 97.0
100.0 99.5 98.5 97.5
100.0 99.8 99.0 96.0
      10.0         4       1.2
     365.0         2       1.0
