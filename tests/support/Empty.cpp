// Keeps the support archive non-empty while it has no helpers of its own.
