# SPDX-License-Identifier: MIT
# Read by cpack after its configuration: the packages' descriptions carry
# their own synopsis lines, so the shared one must not go ahead of them.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
