// Cell rules.
