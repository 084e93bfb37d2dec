#include "scene.h"

Scene scene;
