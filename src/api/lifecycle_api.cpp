// exported entry points
