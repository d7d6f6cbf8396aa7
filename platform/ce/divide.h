/* divide.h: the device build's division helpers, by the names the compiler
 * calls: ARMv4's (divide.c) and the VR41xx's signed ones (divide_mips.c). */
#ifndef CE_PLATFORM_CE_DIVIDE_H
#define CE_PLATFORM_CE_DIVIDE_H

#ifdef __cplusplus
extern "C" {
#endif

unsigned __aeabi_uidiv(unsigned n, unsigned d);
unsigned long long __aeabi_uidivmod(unsigned n, unsigned d);
int __aeabi_idiv(int n, int d);
unsigned long long __aeabi_idivmod(int n, int d);
int __vr4120_divsi3(int n, int d);
int __vr4120_modsi3(int n, int d);

#ifdef __cplusplus
}
#endif

#endif
