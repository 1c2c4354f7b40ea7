# Filled in as the concept is built for Windows.
