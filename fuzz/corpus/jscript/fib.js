function f(n) { return n < 2 ? n : f(n - 1) + f(n - 2); }
f(10);