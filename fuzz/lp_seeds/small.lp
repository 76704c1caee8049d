\ A small mixed-integer model with every section
Maximize
 profit: 3 x + 2 y - 0.5 z + 4 w + 10
Subject To
 cap: x + y + z <= 40
 demand: 2 x + y >= 10
 -3 x + 4 w = 12
 c4: x - 2
   + y - z > -5
 mix: 2x+3y+0z <= 1e3
Bounds
 x <= 30
 -5 <= z <= 5
 w free
 10 >= y >= 1
 -inf <= v <= 4
Generals
 y
Binaries
 w2
End
