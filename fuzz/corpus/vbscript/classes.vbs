Option Explicit
Class Point
    Private mX, mY
    Public Property Get X() : X = mX : End Property
    Public Property Let X(v) : mX = v : End Property
    Public Default Function Dist(o)
        Dist = Sqr((mX - o.X) ^ 2 + (mY - o.Y) ^ 2)
    End Function
    Private Sub Class_Initialize() : mX = 0 : mY = 0 : End Sub
End Class
Dim p, a(3, 2), i
Set p = New Point
ReDim Preserve b(5)
For i = 0 To 3 Step 1 : a(i, 0) = i : Next
Select Case p.X
    Case 1, 2 To 4, Is > 10 : MsgBox "x"
    Case Else
End Select
On Error Resume Next
With p : .X = &HFF + #1/2/2024# : End With
If Not p Is Nothing And "a" & 1 <> "b" Then Call Foo(1, , 3) Else Bar _
    (2)
Do Until i > 10 : i = i + 1 : Loop
