# QV7_BASH_COMPLETION_DIR: bash-completion's own folder for completions when its pkg-config file is present,
# made relative to its prefix so `cmake --install --prefix` and DESTDIR still apply; else the folder it uses
# by default.
set(QV7_BASH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
pkg_get_variable(bash_completion_dir bash-completion completionsdir)
pkg_get_variable(bash_completion_prefix bash-completion prefix)
if(bash_completion_dir AND bash_completion_prefix)
  cmake_path(IS_PREFIX bash_completion_prefix "${bash_completion_dir}" NORMALIZE under_prefix)
  if(under_prefix)
    cmake_path(RELATIVE_PATH bash_completion_dir BASE_DIRECTORY "${bash_completion_prefix}")
  endif()
  set(QV7_BASH_COMPLETION_DIR "${bash_completion_dir}")
endif()
