SetLocale "de-de" : x = CStr(1.5) & CDate("15.03.2026") & FormatCurrency(-1234.5)
If False Then r = 1 ElseIf x = "" Then r = 3 Else r = &hFFFF& End If
r = CByte(170) Imp Null : r = -&H8000 : Nothing(0) = 1
For i = 1 To UBound(Split("a b")) Step &O1 : r = r Or Null : Next
