#!/usr/bin/perl
# Writes a stereo 16-bit little-endian square wave to standard output:
#   make_signal.pl LEFT_AMPLITUDE RIGHT_AMPLITUDE SECONDS [RATE]
# Every half period (50 frames at 44100 Hz: 441 Hz) flips the sign, so each
# capture block has exactly the given peaks.
use strict;
use warnings;
my ($left, $right, $seconds, $rate) = @ARGV;
die "usage: make_signal.pl LEFT RIGHT SECONDS [RATE]\n" unless defined $seconds;
$rate //= 44100;
binmode STDOUT;
my $frames = int($seconds * $rate);
my $chunk = '';
for my $frame (0 .. 99) {
  my $sign = ($frame < 50) ? 1 : -1;
  $chunk .= pack('s<s<', $sign * $left, $sign * $right);
}
my $whole = int($frames / 100);
print $chunk for 1 .. $whole;
print substr($chunk, 0, 4 * ($frames % 100));
