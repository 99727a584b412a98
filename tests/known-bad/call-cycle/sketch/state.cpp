// A unit that calls up into the drawing without including its header: the
// circle shows only in the objects.
int Redraw(int value);

int ReadState(int value) { return value > 0 ? Redraw(value - 1) : 0; }
