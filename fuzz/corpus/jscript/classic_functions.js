var before = typeof early;
var f = function early(n) { return n ? early(n - 1) + 1 : 0; };
function outer() { var h = function inner() { return 'i'; }; return inner() + h.toString(); }
var s = outer() + new Function('a', 'b', 'return a * b').toString() + Math.max.toString();
try { Boolean.prototype.toString.call(1); } catch (e) { for (var p in e) s += p; }
try { new RegExp('a('); } catch (e) { s += e.name + (e instanceof RegExpError); }
s += Date.parse('12Au91') + Date.parse('2009-01-20T10:00:00Z') + Date.parse('We, Au 4 2021 UTC');
var ev = eval; ev('var g1 = 1'); typeof g1 + s;
