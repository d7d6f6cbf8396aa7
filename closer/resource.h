// resource.h: ForegroundDismisser's resource ids, shared by closer.rc and the code.
#ifndef CLOSER_RESOURCE_H
#define CLOSER_RESOURCE_H

#define IDI_APP 101

#endif
