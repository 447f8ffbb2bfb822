// Audit record delivery.
