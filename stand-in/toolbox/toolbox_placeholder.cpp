// Placeholder until the toolbox sources land.
