Valley aquifer: calibration ensemble template (unconfined over confined)
River along the west edge, recharge from above, three pumping wells
         2       120       170         2         4         0

         0         1
CONSTANT 1
CONSTANT 1
     -999.
CONSTANT 50.0
CONSTANT 50.0
      30.0        10       1.2
     120.0        30       1.1
