echo "Welcome, Sam."
