x = ((((1 + 2) * 3) ^ -2) Mod 4) \ 5 Eqv Not y Imp z Xor q
