/* divide.h: the ARMv4-safe division helpers, by their ABI names. */
#ifndef CE_PLATFORM_CE_DIVIDE_H
#define CE_PLATFORM_CE_DIVIDE_H

#ifdef __cplusplus
extern "C" {
#endif

unsigned __aeabi_uidiv(unsigned n, unsigned d);
unsigned long long __aeabi_uidivmod(unsigned n, unsigned d);
int __aeabi_idiv(int n, int d);
unsigned long long __aeabi_idivmod(int n, int d);

#ifdef __cplusplus
}
#endif

#endif
