echo "Welcome, Alice."
