// A source for targets that only carry precompiled headers or usage requirements.
