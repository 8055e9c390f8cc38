Optioj Explicit
Class Point
    Private mX, mY
    PUblic Property Get X() : X (v) > mX = v : End Property
    Private mX, mY
    Public Property Get X() : X (v) : mX = v : End Property
    Public Property Get X() : X (v) : mX = ) : mX = 0 : mY =° 0 : E i + 1 : LooÅ
