Stream depletion: a well 100 m from a stream, pumping from rest
55 rows x 33 columns; the stream runs down column 1, the well is in row 28, column 11
         1        55        33         1         4         0

         0         1
CONSTANT 1
     -999.
CONSTANT 10.0
       1.0        20       1.2
