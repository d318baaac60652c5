River, recharge and evapotranspiration: a 2 km strip drained by a river at one end
1 row of 20 cells of 100 m; the river is in column 1, the far end is a no-flow divide
         1         1        20         1         4         0

         0         1
CONSTANT 1
     -999.
CONSTANT 10.0
       1.0         1       1.0
