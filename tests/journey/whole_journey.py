"""The whole journey: filled in by the next commit."""
