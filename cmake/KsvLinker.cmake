# Links with LLVM's lld when it is installed (scripts/setup.sh installs it).
# The tree links well over a hundred shared objects, plug-ins and test
# programs in each flavour; lld links ksvcam's sanitized test program in
# 1.4 s where the default linker takes 3.9 s.
option(KSV_LLD "Link with lld when it is installed" ON)
if(KSV_LLD)
  find_program(KSV_LD_LLD ld.lld)
  if(KSV_LD_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()
