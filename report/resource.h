// resource.h: DeviceReport's resource ids, shared by report.rc and the code.
#ifndef REPORT_RESOURCE_H
#define REPORT_RESOURCE_H

#define IDI_APP 101

#endif
