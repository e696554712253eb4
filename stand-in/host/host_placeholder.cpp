// Placeholder until the host sources land.
