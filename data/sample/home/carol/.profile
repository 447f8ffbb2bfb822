echo "Welcome, Carol."
