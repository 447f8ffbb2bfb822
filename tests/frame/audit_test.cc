// Tests of audit record delivery.
