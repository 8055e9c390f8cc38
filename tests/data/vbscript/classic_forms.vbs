' Every statement form the classic engine accepts that a stricter reading
' refuses, in one script. Each check appends to log; the test reads it.
Option Explicit
Dim log, x, y, a, o, p, q

Sub Note(s) log = log & s & ";"
End Sub

' a hex or octal literal right after the name of a call statement
Note &H41
Note &o17
Check &hFF, 255

' a statement on the header line, End on the statement line
Sub Check(v, want) If v = want Then Note "ok" Else Note "bad:" & v End If
End Sub

' one-line If with End If, and Else on the same line as a statement
If x = Empty Then y = 1 Else y = 2 End If
Check y, 1
If False Then
    y = 0
Else y = 3 End If
Check y, 3

' procedures and constants written in blocks exist before anything runs
Check Twice(4), 8
Check Limit, 10
If False Then
    Function Twice(n)
        Twice = n * 2
    End Function
    Const Limit = 10
End If

' Not after a comparison, the other spellings of <> <= >=, signs before ^
Check (1 > Not 5 > 3), True
Check (Not 1 > 2), True
Check (2 >< 3) And (2 =< 2) And (3 => 2), True
Check -3 ^ 2, 9
Check 2 ^ 3 ^ 2, 64

' classes with members on one line, continued chains, chained calls
Class Chain Public v End Class
Class Link
    Public n
    Function Ret() Set Ret = Me
    End Function
    Sub Bump() n = n + 1 End Sub
    Property Let Obj(v) n = TypeName(v) End Property
End Class
Set o = New Link
o.n = 1
o _
    .Ret().Ret().Bump
Check o.n, 2
o.Obj = New Chain
Check o.n, "Chain"

' a number right after a name, parenthesized callees
Sub Half(v) Note "half" & v
End Sub
Half.5
Call (New Link).Bump()
Call (((Half))) (2)
(Half)(3)

' Me at the top level, nested array assignment, GetRef of a Sub
Check TypeName(Me), "Object"
a = Array(Array(1, 2), 3)
a(0)(1) = 5
Set a(0)(0) = o
Check a(0)(1), 5
Check a(0)(0).n, "Chain"
Set p = GetRef("Tick")
p
p()
Call p()
Sub Tick() q = q + 1 End Sub
Check q, 3

' comparisons of text with numbers by literal or not
x = "5"
y = CInt(5)
Check (x = y), False
Check ("5" = y), True
Check (x = 5), True

' errors a caller under On Error Resume Next tests
Sub Fails()
    On Error Resume Next
    Err.Raise 1000, "here", "what"
End Sub
On Error Resume Next
Call Fails()
Check Err.Number & Err.Source, "1000here"
Err.Clear
With 42
End With
Check Err.Number, 424
On Error GoTo 0
