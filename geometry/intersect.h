#pragma once

#include "figures.h"

// Classifies how two segments meet and returns an IntersectionKind.
// Writes *crossing (x and y only) on PointIntersection and leaves it untouched
// otherwise, so the caller keeps the last crossing found.
int intersectSegments(Segment first, Segment second, Point* crossing);
