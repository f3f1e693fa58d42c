# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, built by scripts/package (cpack -G DEB). It holds what
# `cmake --install` installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME duvovovi)
set(CPACK_PACKAGE_VENDOR "The Duvovovi developers")
set(CPACK_PACKAGE_CONTACT "The Duvovovi developers <developers@duvovovi.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The dependencies are the packages that hold the shared libraries the
# executable really links, with the versions they need, as dpkg-shlibdeps
# finds them; a list written by hand would drift from the build.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The input chooser offers the sound settings of this tool when it is there.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS pavucontrol)
# The long description under the summary line. CPack indents it as Debian
# wants, and turns each empty line into a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Duvovovi listens to the sound card, opens a stretch of a WAV file, or makes
a test signal of its own, and shows the sound three ways at once: an
oscilloscope trace of each channel, a decibel spectrum in which a full-scale
sine reads 0 dB, and a scrolling spectrogram coloured through bands that can
be edited.

It captures at 11025, 22050 or 44100 Hz in frames of 256 to 32768 samples,
reads PCM wave files of 4 to 24 bits, synthesizes sines, square waves,
sweeps and modulated tones, names the musical note under the mouse pointer,
and prints or copies every view.

Its command line works without a display: a file's format, its spectrum as
CSV, the note of a frequency, and a whole file's spectrogram as a picture.")

include(CPack)
