// The classic engine's built-ins that duktape lacks or does differently,
// written in script: it runs once in every new heap, before any script of
// the host, with the global object as its argument. Names it adds are not
// enumerable, like the engine's own.
#include "platform/scripting/jscript_internal.h"

namespace jscript {

const char* const kPrelude = R"JS((function (g, natives) {
var hide = function (o, name, v) {
    Object.defineProperty(o, name, {value: v, writable: true, enumerable: false, configurable: true});
};
var toInt = function (v) {
    v = Number(v);
    if (v !== v) return 0;
    if (v === 0 || v === Infinity || v === -Infinity) return v;
    return v < 0 ? -Math.floor(-v) : Math.floor(v);
};

// ---- errors: new Error(number, description) and new Error(description);
// number, description and message are enumerable, in that order
var show = function (o, name, v) {
    Object.defineProperty(o, name, {value: v, writable: true, enumerable: true, configurable: true});
};
// RegExpError: syntax errors of regular expressions made at run time (still
// instances of SyntaxError too)
var NativeSyntaxError = g.SyntaxError;
var RegExpErrorProto = Object.create(NativeSyntaxError.prototype);
var NativeRegExpError = function RegExpError(text) {
    var e = new NativeSyntaxError(text);
    Object.setPrototypeOf(e, RegExpErrorProto);
    return e;
};
NativeRegExpError.prototype = RegExpErrorProto;
hide(RegExpErrorProto, 'name', 'RegExpError');
['Error', 'EvalError', 'RangeError', 'ReferenceError', 'SyntaxError', 'TypeError', 'URIError', 'RegExpError']
    .forEach(function (name) {
        var Native = name === 'RegExpError' ? NativeRegExpError : g[name];
        var proto = Native.prototype;
        var Classic = function (a, b) {
            var number = 0, text = '';
            if (arguments.length >= 2) {
                number = Number(a);
                text = b === undefined ? '' : String(b);
            } else if (arguments.length == 1 && a !== undefined) {
                text = String(a);
            }
            var e = new Native(text);
            delete e.message;
            show(e, 'number', number);
            show(e, 'description', text);
            show(e, 'message', text);
            return e;
        };
        Object.defineProperty(Classic, 'name', {value: name});
        Classic.prototype = proto;
        hide(proto, 'constructor', Classic);
        Object.setPrototypeOf(Classic, Object.getPrototypeOf(Native));
        hide(g, name, Classic);
    });
hide(Error.prototype, 'toString', function toString() { return '[object Error]'; });
var fail = function (Type, number, text) {
    throw new Type(-2146828288 + number, text);
};

// ---- numbers
var nativeToFixed = Number.prototype.toFixed;
var nativeToPrecision = Number.prototype.toPrecision;
var nativeToExponential = Number.prototype.toExponential;
var thisNumber = function (v) {
    if (typeof v === 'number') return v;
    if (v instanceof Number) return v.valueOf();
    fail(TypeError, 5001, 'Number expected');
};
// Rounds the shortest decimal text of the number, half away from zero.
hide(Number.prototype, 'toFixed', function toFixed(digits) {
    var x = thisNumber(this), f = toInt(digits);
    if (f < 0 || f > 20) fail(RangeError, 5026, 'The number of fractional digits is out of range');
    if (x !== x) return 'NaN';
    if (Math.abs(x) >= 1e21) return String(x);
    var neg = x < 0;
    var e = nativeToExponential.call(Math.abs(x));  // shortest digits, d.ddde+n
    var m = reExec.call(/^(\d)(?:\.(\d+))?e([+-]\d+)$/, e);
    var digits = m[1] + (m[2] || ''), exp = Number(m[3]);
    // digits as an integer scaled by 10^(exp - digits.length + 1)
    var point = exp + 1;  // position of the decimal point in digits
    if (point < 0) { digits = new Array(1 - point).join('0') + digits; point = 0; }
    while (digits.length < point + f + 1) digits += '0';
    var keep = digits.substr(0, point + f), next = digits.charAt(point + f);
    var arr = keep.split('').map(Number);
    if (next >= '5') {
        var i = arr.length - 1;
        while (i >= 0) {
            if (arr[i] < 9) { arr[i]++; break; }
            arr[i] = 0;
            i--;
        }
        if (i < 0) { arr.unshift(1); point++; }
    }
    var s = arr.join('');
    var intPart = s.substr(0, point) || '0', frac = s.substr(point);
    var r = f > 0 ? intPart + '.' + frac : intPart;
    return (neg ? '-' : '') + r;
});
hide(Number.prototype, 'toPrecision', function toPrecision(p) {
    var x = thisNumber(this);
    if (p === undefined) return String(x);
    var n = toInt(p);
    if (x === x && isFinite(x) && (n < 1 || n > 21)) fail(RangeError, 5027, 'The precision is out of range');
    return nativeToPrecision.call(x, n);
});
hide(Number.prototype, 'toExponential', function toExponential(d) {
    var x = thisNumber(this);
    if (d !== undefined) {
        var n = toInt(d);
        if (n < 0 || n > 20) fail(RangeError, 5026, 'The number of fractional digits is out of range');
    }
    return nativeToExponential.call(x, d);
});
// In the user's format (the handheld's English one): 1,234.50
hide(Number.prototype, 'toLocaleString', function toLocaleString() {
    var x = thisNumber(this);
    if (!isFinite(x)) return String(x);
    var t = Number.prototype.toFixed.call(Math.abs(x), 2), dot = t.indexOf('.');
    var whole = t.substr(0, dot), grouped = '';
    while (whole.length > 3) {
        grouped = ',' + whole.substr(whole.length - 3) + grouped;
        whole = whole.substr(0, whole.length - 3);
    }
    return (x < 0 ? '-' : '') + whole + grouped + t.substr(dot);
});
// A leading 0 means octal when no radix is given.
var nativeParseInt = g.parseInt;
hide(g, 'parseInt', function parseInt(s, radix) {
    s = String(s);
    if ((radix === undefined || toInt(radix) === 0) && reExec.call(/^\s*[+-]?0[0-9]/, s) !== null) radix = 8;
    return nativeParseInt(s, radix);
});

// ---- strings
hide(String.prototype, 'substr', function substr(start, length) {
    if (this === undefined || this === null) fail(TypeError, 5007, 'Object expected');
    var s = String(this), n = s.length;
    var a = toInt(start);
    if (a < 0) a = 0;
    if (a > n) a = n;
    var len = length === undefined ? n - a : toInt(length);
    if (len <= 0) return '';
    return s.substring(a, Math.min(n, a + len));
});
[['anchor', 'A', 'NAME'], ['big', 'BIG'], ['blink', 'BLINK'], ['bold', 'B'], ['fixed', 'TT'],
 ['fontcolor', 'FONT', 'COLOR'], ['fontsize', 'FONT', 'SIZE'], ['italics', 'I'], ['link', 'A', 'HREF'],
 ['small', 'SMALL'], ['strike', 'STRIKE'], ['sub', 'SUB'], ['sup', 'SUP']].forEach(function (t) {
    hide(String.prototype, t[0], function (v) {
        var open = '<' + t[1] + (t[2] ? ' ' + t[2] + '="' + String(v) + '"' : '') + '>';
        return open + String(this) + '</' + t[1] + '>';
    });
});

// ---- arrays
var nativeUnshift = Array.prototype.unshift, nativeSort = Array.prototype.sort;
hide(Array.prototype, 'unshift', function unshift() {
    nativeUnshift.apply(this, arguments);
});
hide(Array.prototype, 'sort', function sort(compare) {
    return compare === null || compare === undefined ? nativeSort.call(this) : nativeSort.call(this, compare);
});

// ---- regular expressions: the legacy statics
var RE = g.RegExp, reExec = RE.prototype.exec;
var last = {input: '', match: '', paren: '', left: '', right: '', index: -1, end: -1, caps: []};
var record = function (m, s) {
    last.input = s;
    last.index = m.index;
    last.end = m.index + m[0].length;
    last.match = m[0];
    last.left = s.slice(0, m.index);
    last.right = s.slice(last.end);
    last.paren = m.length > 1 && m[m.length - 1] !== undefined ? m[m.length - 1] : '';
    for (var i = 1; i <= 9; i++) last.caps[i] = i < m.length && m[i] !== undefined ? m[i] : '';
};
var statics = {
    input: function () { return last.input; }, lastMatch: function () { return last.match; },
    lastParen: function () { return last.paren; }, leftContext: function () { return last.left; },
    rightContext: function () { return last.right; }, index: function () { return last.index; },
    lastIndex: function () { return last.end; }
};
var aliases = {input: '$_', lastMatch: '$&', lastParen: '$+', leftContext: '$`', rightContext: "$'"};
Object.keys(statics).forEach(function (k) {
    var d = {get: statics[k], enumerable: false, configurable: true};
    if (k === 'input') d.set = function (v) { last.input = String(v); };
    Object.defineProperty(RE, k, d);
    if (aliases[k]) Object.defineProperty(RE, aliases[k], d);
});
for (var i = 1; i <= 9; i++) {
    last.caps[i] = '';
    (function (n) {
        Object.defineProperty(RE, '$' + n, {get: function () { return last.caps[n]; }, enumerable: false, configurable: true});
    })(i);
}
// A match ends where lastIndex points; an empty match moves it one on.
var endOf = function (m) { return m.index + m[0].length + (m[0].length ? 0 : 1); };
var exec = function exec(s) {
    if (!(this instanceof RE)) fail(TypeError, 5016, 'Regular Expression object expected');
    s = arguments.length ? String(s) : last.input;
    var m = reExec.call(this, s);
    if (m === null) {
        this.lastIndex = 0;
        return null;
    }
    record(m, s);
    this.lastIndex = endOf(m);
    m.lastIndex = this.lastIndex;
    return m;
};
hide(RE.prototype, 'exec', exec);
hide(RE.prototype, 'test', function test(s) {
    return exec.apply(this, arguments) !== null;
});
hide(RE.prototype, 'compile', function compile(source, flags) {
    var r = source instanceof RE ? source : new RE(source, flags);
    return new RE(r.source, flags === undefined ? (r.global ? 'g' : '') + (r.ignoreCase ? 'i' : '') + (r.multiline ? 'm' : '') : flags);
});
var asRegExp = function (p) { return p instanceof RE ? p : new RE(p === undefined ? '' : p); };
var globalCopy = function (re) {
    return new RE(re.source, 'g' + (re.ignoreCase ? 'i' : '') + (re.multiline ? 'm' : ''));
};
var thisString = function (v) {
    if (v === undefined || v === null) fail(TypeError, 5007, 'Object expected');
    return String(v);
};
// All matches of re in s (one unless global), lastIndex as scripts expect.
var eachMatch = function (re, s, f) {
    var r = re.global ? re : globalCopy(re), found = null, m;
    r.lastIndex = 0;
    while ((m = reExec.call(r, s)) !== null) {
        found = m;
        if (m[0] === '') r.lastIndex = m.index + 1;
        if (f(m) === false || !re.global) break;
        if (r.lastIndex > s.length) break;
    }
    re.lastIndex = found ? endOf(found) : 0;
    return found;
};
var nativeMatch = String.prototype.match, nativeReplace = String.prototype.replace,
    nativeSearch = String.prototype.search, nativeSplit = String.prototype.split;
hide(String.prototype, 'match', function match(p) {
    var s = thisString(this), re = asRegExp(p);
    if (!re.global) return exec.call(re, s);
    var all = [];
    var found = eachMatch(re, s, function (m) { all.push(m[0]); });
    if (!found) return null;
    record(found, s);
    all.index = found.index;
    all.input = s;
    all.lastIndex = endOf(found);
    return all;
});
var expand = function (m, s, repl) {
    return nativeReplace.call(repl, /\$(\$|&|`|'|\d\d?)/g, function (t, c) {
        if (c === '$') return '$';
        if (c === '&') return m[0];
        if (c === '`') return s.slice(0, m.index);
        if (c === "'") return s.slice(m.index + m[0].length);
        var n = Number(c);
        if (c.length == 2 && (n >= m.length || n === 0)) {
            var one = Number(c.charAt(0));
            if (one > 0 && one < m.length) return (m[one] === undefined ? '' : m[one]) + c.charAt(1);
            return t;
        }
        if (n > 0 && n < m.length) return m[n] === undefined ? '' : m[n];
        return t;
    });
};
hide(String.prototype, 'replace', function replace(p, repl) {
    var s = thisString(this);
    if (!(p instanceof RE)) return nativeReplace.call(s, p, repl);
    var out = '', pos = 0, fn = typeof repl === 'function', text = fn ? null : String(repl);
    eachMatch(p, s, function (m) {
        record(m, s);
        var r;
        if (fn) {
            var args = m.slice(0);
            args.push(m.index, s);
            r = String(repl.apply(undefined, args));
        } else {
            r = expand(m, s, text);
        }
        out += s.slice(pos, m.index) + r;
        pos = m.index + m[0].length;
    });
    return out + s.slice(pos);
});
hide(String.prototype, 'search', function search(p) {
    var s = thisString(this), re = asRegExp(p);
    var saved = re.lastIndex;
    var r = new RE(re.source, (re.ignoreCase ? 'i' : '') + (re.multiline ? 'm' : ''));
    var m = reExec.call(r, s);
    re.lastIndex = saved;
    if (m === null) return -1;
    record(m, s);
    return m.index;
});
// Items between matches; empty items are dropped and captures are not
// part of the result.
hide(String.prototype, 'split', function split(sep, limit) {
    var s = thisString(this);
    if (!(sep instanceof RE)) return nativeSplit.call(s, sep, limit);
    var max = limit === undefined ? 4294967295 : limit >>> 0;
    var out = [], pos = 0;
    var found = eachMatch(globalCopy(sep), s, function (m) {
        if (m[0] === '' && m.index >= s.length) return false;
        var piece = s.slice(pos, m.index);
        if (m[0] === '' && m.index === pos) return;
        if (piece !== '') out.push(piece);
        pos = m.index + m[0].length;
    });
    if (pos < s.length) out.push(s.slice(pos));
    if (found) record(found, s);
    if (out.length > max) out.length = max;
    return out;
});

// ---- dates
var DP = Date.prototype;
var days = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];
var months = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];
var longDays = ['Sunday', 'Monday', 'Tuesday', 'Wednesday', 'Thursday', 'Friday', 'Saturday'];
var longMonths = ['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August',
                  'September', 'October', 'November', 'December'];
var two = function (n) { return (n < 10 ? '0' : '') + n; };
var year = function (y) { return y > 0 ? String(y) : (1 - y) + ' B.C.'; };
var zone = function (d) {
    var off = -d.getTimezoneOffset();
    if (off === 0) return 'UTC';
    var a = Math.abs(off);
    return 'UTC' + (off < 0 ? '-' : '+') + two(Math.floor(a / 60)) + two(a % 60);
};
var valid = function (d) {
    if (!(d instanceof Date)) fail(TypeError, 5006, 'Date object expected');
    return d.getTime() === d.getTime();
};
var clock = function (h, m, s) { return two(h) + ':' + two(m) + ':' + two(s); };
var ampm = function (d) {
    var h = d.getHours();
    return (h % 12 || 12) + ':' + two(d.getMinutes()) + ':' + two(d.getSeconds()) + (h < 12 ? ' AM' : ' PM');
};
var longDate = function (d) {
    return longDays[d.getDay()] + ', ' + longMonths[d.getMonth()] + ' ' + d.getDate() + ', ' + year(d.getFullYear());
};
var formats = {
    toString: function (d) {
        return days[d.getDay()] + ' ' + months[d.getMonth()] + ' ' + d.getDate() + ' ' +
            clock(d.getHours(), d.getMinutes(), d.getSeconds()) + ' ' + zone(d) + ' ' + year(d.getFullYear());
    },
    toDateString: function (d) {
        return days[d.getDay()] + ' ' + months[d.getMonth()] + ' ' + d.getDate() + ' ' + year(d.getFullYear());
    },
    toTimeString: function (d) {
        return clock(d.getHours(), d.getMinutes(), d.getSeconds()) + ' ' + zone(d);
    },
    toUTCString: function (d) {
        return days[d.getUTCDay()] + ', ' + d.getUTCDate() + ' ' + months[d.getUTCMonth()] + ' ' +
            year(d.getUTCFullYear()) + ' ' + clock(d.getUTCHours(), d.getUTCMinutes(), d.getUTCSeconds()) + ' UTC';
    },
    toLocaleString: function (d) { return longDate(d) + ' ' + ampm(d); },
    toLocaleDateString: function (d) { return longDate(d); },
    toLocaleTimeString: function (d) { return ampm(d); }
};
Object.keys(formats).forEach(function (k) {
    var f = formats[k];
    hide(DP, k, function () { return valid(this) ? f(this) : 'NaN'; });
});
hide(DP, 'toGMTString', DP.toUTCString);
// The date as the host's date type (what a Date becomes for the host anyway).
hide(DP, 'getVarDate', function getVarDate() {
    valid(this);
    return new NativeDate(this.getTime());
});
hide(DP, 'getYear', function getYear() {
    valid(this);
    var y = this.getFullYear();
    return y >= 1900 && y <= 1999 ? y - 1900 : y;
});
var NativeDate = Date;
var ClassicDate = function Date(a, b, c, d, e, f, h) {
    if (!(this instanceof ClassicDate)) return formats.toString(new NativeDate());
    var n = arguments.length, r;
    if (n === 0) r = new NativeDate();
    else if (n === 1) r = new NativeDate(a);
    else r = new NativeDate(a, b, n > 2 ? c : 1, n > 3 ? d : 0, n > 4 ? e : 0, n > 5 ? f : 0, n > 6 ? h : 0);
    return r;
};
ClassicDate.prototype = DP;
ClassicDate.parse = NativeDate.parse;
ClassicDate.UTC = NativeDate.UTC;
ClassicDate.now = NativeDate.now;
Object.defineProperty(ClassicDate, 'length', {value: 7});
hide(DP, 'constructor', ClassicDate);
hide(g, 'Date', ClassicDate);

// ---- host objects: hasOwnProperty asks the object
var nativeHasOwn = Object.prototype.hasOwnProperty;
hide(Object.prototype, 'hasOwnProperty', function hasOwnProperty(name) {
    return natives.isHost(this) ? String(name) in this : nativeHasOwn.call(this, name);
});

// ---- the engine itself
hide(g, 'ScriptEngine', function ScriptEngine() { return 'JScript'; });
hide(g, 'ScriptEngineMajorVersion', function ScriptEngineMajorVersion() { return 5; });
hide(g, 'ScriptEngineMinorVersion', function ScriptEngineMinorVersion() { return 5; });
hide(g, 'ScriptEngineBuildVersion', function ScriptEngineBuildVersion() { return 0; });
hide(g, 'CollectGarbage', function CollectGarbage() { natives.gc(); });
['Enumerator', 'VBArray', 'ActiveXObject', 'GetObject'].forEach(function (n) { hide(g, n, g[n]); });
})
)JS";

}  // namespace jscript
