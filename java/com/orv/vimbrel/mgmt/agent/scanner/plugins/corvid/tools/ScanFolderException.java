package com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.tools;

/** A folder that cannot be replayed as a collected scan; the message says why, for the user. */
public final class ScanFolderException extends Exception {
  private static final long serialVersionUID = 1L;

  public ScanFolderException(String message) {
    super(message);
  }
}
