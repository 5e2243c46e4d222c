#!/usr/bin/env perl
# Which symbols belong to the library's interface: those whose every name
# part is an identifier of the installed headers. Not the interface: data
# under a plain name (callers reach data through functions), the standard
# library's instances, test seams (names ending in ForTesting) and anything
# named by no installed header. A variant-set member (sp_sse2::spAddF32_Sse2)
# counts when its entry (spAddF32) is public, as the headers declare every
# set's members of their entries through a macro.
#
#   public_symbols.pl map OUT.map HEADER... -- ARCHIVE...
#       writes the linker version script that exports exactly the public
#       symbols the archives define
#   public_symbols.pl check LIB HEADERS [ARCHIVE...]
#       fails when LIB exports a symbol that is not public or, given the
#       archives, when it leaves out a public symbol they define
use strict;
use warnings;
use File::Find;

my %BUILTIN = map { $_ => 1 } qw(void bool char wchar_t short int long unsigned signed float double const volatile);

# The text without its sections for variant sources (#ifdef SP_SET_INDEX up
# to its #else or #endif): a caller never defines SP_SET_INDEX, so what those
# sections name (a set's allocator, its kernels) is no part of the interface.
sub outside_set_sections {
  my ($text) = @_;
  my ($out, $depth, $skipDepth) = ('', 0, -1);
  for my $line (split /^/, $text) {
    if ($line =~ /^\s*#\s*if/) {
      ++$depth;
      if ($skipDepth < 0 && $line =~ /^\s*#\s*(?:ifdef\s+SP_SET_INDEX\b|if\s+defined\s*\(?\s*SP_SET_INDEX\b)/) {
        $skipDepth = $depth;
        next;
      }
    } elsif ($line =~ /^\s*#\s*(?:else|elif)\b/ && $skipDepth == $depth) {
      $skipDepth = -1;
      next;
    } elsif ($line =~ /^\s*#\s*endif\b/) {
      my $ends = $skipDepth == $depth;
      --$depth;
      if ($ends) { $skipDepth = -1; next; }
    }
    $out .= $line if $skipDepth < 0;
  }
  return $out;
}

# Identifiers (and operator tokens) outside comments and literals, and the
# variant sets' namespace -> suffix pairs of set_list.h.
sub read_headers {
  my (@headers) = @_;
  my (%ids, %sets);
  for my $header (@headers) {
    open(my $in, '<', $header) or die "$header: $!\n";
    local $/;
    my $text = <$in>;
    close $in;
    while ($text =~ /X\(ctx,\s*\d+,\s*(\w+),\s*(\w+),/g) { $sets{$1} = $2; }
    $text = outside_set_sections($text);
    $text =~ s{/\*.*?\*/}{ }gs;
    $text =~ s{//[^\n]*}{}g;
    $text =~ s{"(?:\\.|[^"\\])*"}{ }g;
    $text =~ s{'(?:\\.|[^'\\])*'}{ }g;
    while ($text =~ /\boperator\s*(\(\)|\[\]|[^\s\w(]+)/g) { $ids{"operator$1"} = 1; }
    $ids{$_} = 1 for $text =~ /\b([A-Za-z_]\w*)/g;
  }
  return (\%ids, \%sets);
}

# "ret ns::f<T>[abi:cxx11](args) const" -> ("ns::f<T>[abi:cxx11]", "args").
sub split_name {
  my ($s) = @_;
  my ($depth, $start) = (0, 0);
  for (my $i = 0; $i < length $s; ++$i) {
    if (substr($s, $i, 8) eq 'operator' && ($i == 0 || substr($s, $i - 1, 1) =~ /[: ]/)) {
      my $j = $i + 8;
      $j += 2 if substr($s, $j, 2) eq '()';
      ++$j while $j < length $s && substr($s, $j, 1) ne '(';
      return (substr($s, $start, $j - $start), substr($s, $j + 1));
    }
    my $c = substr($s, $i, 1);
    if ($c eq '<') { ++$depth; }
    elsif ($c eq '>') { --$depth; }
    elsif ($depth == 0 && $c eq ' ') { $start = $i + 1; }
    elsif ($depth == 0 && $c eq '(') { return (substr($s, $start, $i - $start), substr($s, $i + 1)); }
  }
  return ($s, undef);
}

sub parts {
  my ($name) = @_;
  my @parts;
  my ($depth, $part) = (0, "");
  for (my $i = 0; $i < length $name; ++$i) {
    my $c = substr($name, $i, 1);
    if ($part =~ /^operator/) { $part .= $c; next; }
    if ($c eq '<') { ++$depth; next; }
    if ($c eq '>') { --$depth; next; }
    next if $depth > 0;
    if (substr($name, $i, 2) eq '::') { push @parts, $part; $part = ''; ++$i; next; }
    $part .= $c;
  }
  push @parts, $part;
  s/\[abi:\w+\]//g for @parts;
  return @parts;
}

sub is_public {
  my ($demangled, $type, $ids, $sets) = @_;
  my $s = $demangled;
  my $table = $s =~ s/^(?:typeinfo name for|typeinfo for|vtable for|VTT for) //;
  $s =~ s/^(?:non-virtual thunk to|virtual thunk to|covariant return thunk to) //;
  return 0 if $s =~ /^(?:guard variable|construction vtable|TLS |reference temporary)/;
  return 0 if !$table && $type =~ /^[BbDdRrGgSsVvu]$/;  # data under a plain name
  my ($name, $args) = split_name($s);
  my @parts = parts($name);
  return 0 if !@parts || $parts[0] eq '' || $parts[0] =~ /^(?:std|_)/;
  return 0 if $parts[-1] =~ /ForTesting$/;
  if (@parts == 2 && exists $sets->{ $parts[0] }) {
    my $suffix = $sets->{ $parts[0] };
    return $parts[1] =~ /^(\w+)\Q$suffix\E$/ && $ids->{$1} ? 1 : 0;
  }
  if (@parts == 1 && $parts[0] =~ /^operator/) {
    return 0 unless $ids->{ $parts[0] } && defined $args;
    # A free operator belongs to a public class among its operands.
    for my $word ($args =~ /\b([A-Za-z_]\w*)/g) {
      return 1 if $ids->{$word} && !$BUILTIN{$word} && $word ne 'std';
    }
    return 0;
  }
  for my $part (@parts) {
    next if $part =~ /^operator/;
    (my $plain = $part) =~ s/^~//;
    return 0 unless $ids->{$plain};
  }
  return 1;
}

# (mangled, type, demangled) of every defined global symbol the nm
# arguments list; both listings unsorted, so their rows match.
sub nm_rows {
  my (@nm_args) = @_;
  my @rows;
  open(my $nm, '-|', 'nm', '-p', '--defined-only', '--extern-only', @nm_args) or die "nm: $!\n";
  while (<$nm>) {
    chomp;
    push @rows, [$2, $1] if /^\S*\s+([A-Za-z])\s+(.+)$/;
  }
  close $nm or die "nm @nm_args failed\n";
  return @rows;
}

sub symbols {
  my (@nm_args) = @_;
  my @rows = nm_rows(@nm_args);
  my @demangled = nm_rows('-C', @nm_args);
  die "nm gave " . @demangled . " demangled names for " . @rows . " symbols\n" unless @demangled == @rows;
  $rows[$_][2] = $demangled[$_][0] for 0 .. $#rows;
  return @rows;
}

sub public_of_archives {
  my ($ids, $sets, @archives) = @_;
  my %public;
  for my $row (symbols(@archives)) {
    $public{ $row->[0] } = $row->[2] if $row->[1] ne 'U' && is_public($row->[2], $row->[1], $ids, $sets);
  }
  return \%public;
}

my $mode = shift @ARGV // '';
if ($mode eq 'map') {
  my $out = shift @ARGV;
  my @headers;
  push @headers, shift @ARGV while @ARGV && $ARGV[0] ne '--';
  shift @ARGV;
  my ($ids, $sets) = read_headers(@headers);
  my $public = public_of_archives($ids, $sets, @ARGV);
  open(my $map, '>', "$out.tmp") or die "$out: $!\n";
  print $map "/* Generated by scripts/public_symbols.pl: what the installed headers declare. */\n{\n  global:\n";
  print $map "    $_;\n" for sort keys %$public;
  print $map "  local: *;\n};\n";
  close $map;
  rename("$out.tmp", $out) or die "$out: $!\n";
} elsif ($mode eq 'check') {
  my ($lib, $include, @archives) = @ARGV;
  # An include folder, or a file listing the headers one per line.
  my @headers;
  if (-d $include) {
    find(sub { push @headers, $File::Find::name if /\.h$/ }, $include);
  } else {
    open(my $list, '<', $include) or die "$include: $!\n";
    chomp(@headers = grep { /\S/ } <$list>);
  }
  die "no headers in $include\n" unless @headers;
  my ($ids, $sets) = read_headers(@headers);
  my @exported = symbols('-D', $lib);
  my @extra = sort map { $_->[2] } grep { !is_public($_->[2], $_->[1], $ids, $sets) } @exported;
  my $status = 0;
  if (@extra) {
    print "$lib exports " . @extra . " symbols that no installed header declares:\n";
    print "  $_\n" for @extra;
    $status = 1;
  }
  if (@archives) {
    my %exported = map { $_->[0] => 1 } @exported;
    my $public = public_of_archives($ids, $sets, @archives);
    my @missing = sort map { $public->{$_} } grep { !$exported{$_} } keys %$public;
    if (@missing) {
      print "$lib leaves out " . @missing . " symbols of its installed headers:\n";
      print "  $_\n" for @missing;
      $status = 1;
    }
  }
  printf "%s exports %d symbols, all declared by the headers under %s.\n", $lib, scalar @exported, $include
    unless $status;
  exit $status;
} else {
  die "usage: $0 map OUT HEADER... -- ARCHIVE... | check LIB INCLUDE_DIR [ARCHIVE...]\n";
}
