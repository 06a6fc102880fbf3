// A library whose sources come later still builds as an empty target.
