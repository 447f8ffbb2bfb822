// Tests of the user and group id maps.
