/* A library that is not an add-in: it lacks ZnCreateObject. */
int NotAnAddIn(void) { return 1; }
