// The desktop program's entry point.
#include "app/ledgerix_app.h"

wxIMPLEMENT_APP(ledgerix::CLedgerixApp);
