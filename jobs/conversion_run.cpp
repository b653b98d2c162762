// Filled in by the conversion run.
