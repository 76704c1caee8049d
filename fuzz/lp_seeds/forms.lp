min
 obj: a + b + c + d + e + f
st
 r1: a + b - a >= 1
 r2: 3 c - 3 c + d < 2
 r3: e => 1
 r4: f =< 7
 r5: 4 + a + 1.5e-3 b - .25 c <= 9
bound
 a >= -5
 b = 2
 c free
 -inf <= d <= +inf
 e < 10
 f fr
int
 a
bin
 b
end
