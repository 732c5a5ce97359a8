// C library functions that glibc gave a new version after 2.17, and that the library takes at
// the version every server's glibc has. The library's objects are linked with --wrap for each
// name, so their references come here.
//
// pow: glibc 2.29 added a version that no longer reports errors the old way; the results are
// the same.
extern "C" double PowAtOldestVersion(double base, double exponent);
__asm__(".symver PowAtOldestVersion,pow@GLIBC_2.0");

extern "C" double __wrap_pow(double base, double exponent) {
    return PowAtOldestVersion(base, exponent);
}
