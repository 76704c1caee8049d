min x st c: x >= 1
 d: x + y <= 3
end
