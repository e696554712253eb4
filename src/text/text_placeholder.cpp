// Placeholder until the subsystem lands; removed with its first source.
