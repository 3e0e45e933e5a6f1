// Reading the drawn frame back without waiting for it: a ring of pixel buffer objects that GL
// fills in the order the frames were drawn, taken by the program one or two frames later.
#pragma once
#include <cstdint>

// Creates slots pixel buffers of width x height RGBA on the current context; false (and nothing
// made) when the context has no pixel buffer objects.
bool StartPixelReadback(int slots, int width, int height);
// Deletes the buffers; queued frames are dropped. Safe to call when nothing was started.
void StopPixelReadback();
// Frames queued and not yet taken.
int QueuedPixelReadbacks();
// Whether every slot holds a queued frame (take the oldest before queueing another).
bool PixelReadbackFull();
// Starts copying the frame buffer's lower-left width x height pixels into the next free slot;
// returns at once. False when the ring is full or was not started.
bool QueuePixelReadback();
// Copies the oldest queued frame, RGBA rows bottom up as GL counts them, into pixels (width *
// height * 4 bytes), waiting for GL to have written it, and frees its slot. False when nothing is
// queued or the buffer could not be read.
bool TakePixelReadback(uint8_t* pixels);
