INPUT examples/afiro
MINIM
PRINT
QUIT
