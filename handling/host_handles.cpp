#include "host_handles.h"

HINSTANCE     ghInstDLL = NULL;
LPMAPISESSION lpSession = NULL;
LPADRBOOK     lpAdrbook = NULL;
