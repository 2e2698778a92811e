// The one application object; linked into the executable only, so that tests can make their own.
#include "app/the_app.h"

CTheApp theApp;
