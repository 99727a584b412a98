// The drawing reads the state, which calls the drawing again.
int ReadState(int value);

int Redraw(int value) { return ReadState(value); }
