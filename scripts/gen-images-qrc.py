#!/usr/bin/env python3
"""Writes platform/images.qrc: every image name of the program mapped to an icon of the
Tango theme (Debian package tango-icon-theme), at 16 and 32 pixels. rcc copies the files
into the program when it builds. Rerun after changing the table."""
import os, sys

THEME = "/usr/share/icons/Tango"
TABLE = """
CARPERCLS mimetypes/x-office-spreadsheet
DATIANAGRAFICI mimetypes/x-office-address-book
CARPERMAT mimetypes/x-office-document
INVIO devices/media-floppy
RACCOLTA devices/drive-removable-media
EXPSCR actions/document-save-as
IMPSCR actions/document-open
SESSIONICFG categories/preferences-system
SESSIONICLASSI apps/system-users
SESSIONI apps/office-calendar
COMPONENTIVOTO actions/format-justify-fill
SCLCOMP actions/format-indent-more
LIVELLI mimetypes/text-x-generic
LIVELLIPROPOSTI mimetypes/text-x-generic-template
SCLLIVPRP actions/format-indent-less
CREBND mimetypes/x-office-spreadsheet-template
CREENC emblems/emblem-favorite
CREFRM mimetypes/application-certificate
CRESCO mimetypes/stock_certificate
DEBESI emblems/emblem-important
DEBTIP mimetypes/x-office-document-template
PARAMETRI categories/preferences-desktop
FIRME mimetypes/vcard
BROGLIACCIO_INVIO actions/document-print-preview
BROGLIACCIO_RACCOLTA actions/document-print
EXPORTDATI mimetypes/package-x-generic
PAGELLAWEB apps/internet-web-browser
RICERCA actions/system-search
SCALE_VOTI_APERTI mimetypes/x-office-drawing
TAVRIN_WEB_INVIO status/network-transmit
TAVRIN_WEB_PASSWD actions/system-lock-screen
TAVRIN_WEB_RACCOLTA status/network-receive
TRADUZIONI apps/preferences-desktop-locale
PARAMETRI_CONNESSIONE places/network-server
CARSAVE actions/document-save
CARSELDATO actions/edit-paste
CARSELCOL actions/edit-select-all
CARIMPPAR actions/document-properties
CARVTPVOT actions/go-jump
CARSUMCRE apps/accessories-calculator
CARTOTCRE mimetypes/spreadsheet
CARDEBDEFAULT actions/bookmark-new
STORICOHTML mimetypes/text-html
VXDELETE actions/edit-delete
RPTTEMPLATE mimetypes/x-office-document-template
ROWUP actions/go-up
ROWDOWN actions/go-down
NEXTSIT actions/go-next
PREVSIT actions/go-previous
PREVCELL actions/media-seek-backward
NEXTCELL actions/media-seek-forward
SELECTALL actions/edit-select-all
DESELECTALL actions/edit-clear
INVERTISELECT actions/edit-redo
EXPANDNODE actions/list-add
COLLAPSENODE actions/list-remove
EXPANDALL actions/go-bottom
COLLAPSEALL actions/go-top
REFRTREE actions/view-refresh
PALLINOROSSO actions/media-record
PALLINO status/weather-clear
PALLINOGRIGIO actions/media-playback-stop
VXINSERT actions/document-new
VXEDIT actions/document-properties
VXPOST actions/document-save
VXCANCEL actions/process-stop
VXSEARCH actions/edit-find
VXREFRESH actions/view-refresh
VXFIRST actions/go-first
VXPRIOR actions/go-previous
VXNEXT actions/go-next
VXLAST actions/go-last
VXMOVERIGHT actions/go-next
VXMOVELEFT actions/go-previous
VXMOVEALLRIGHT actions/go-last
VXMOVEALLLEFT actions/go-first
VXHELP apps/help-browser
VXEXIT actions/system-log-out
VXCASCADE actions/window-new
VXTILE actions/view-fullscreen
VXPARAMS categories/preferences-system
VXAPP mimetypes/x-office-spreadsheet
VXLOOKUP actions/edit-find
VXWAIT apps/utilities-system-monitor
INVIOPST actions/mail-forward
RACCOLTAPST actions/mail-reply-sender
INVIOSCR actions/mail-message-new
RACCOLTASCR actions/mail-send-receive
RICONOSCIMENTO devices/input-keyboard
GIUDIZI apps/accessories-text-editor
AGGSTAMPE devices/printer
EXPALUNNI actions/document-save-as
RECUPERI actions/appointment-new
TIPIESITIREC actions/edit-find-replace
INVIORECWEB status/network-transmit-receive
RACCOLTARECWEB places/network-workgroup
SESSIONEDIFFERITA mimetypes/x-office-calendar
STAMPADIGITALE mimetypes/gnome-mime-application-pdf
ASSISTENZA apps/help-browser
CANCELLAGIUDIZIO actions/edit-clear
RILINTEGRATIVA apps/utilities-system-monitor
CANCSESSIONEWEB status/network-error
PARAMINVIODOC apps/preferences-system-network-proxy
PARAMAPPL categories/preferences-system
PARAMSTAMPE devices/printer
CONTROLLORECUPERI status/dialog-warning
ESITIRECUPERI mimetypes/vcalendar
FIRMAPRESIDE mimetypes/application-certificate
CANCRECWEB places/user-trash
GESTIONEVOLUMI mimetypes/package-x-generic
ESAMEQUALIFICA mimetypes/x-office-presentation
RPTPREVIEW actions/document-print-preview
RPTPRINT actions/document-print
RPTPDF mimetypes/gnome-mime-application-pdf
"""

def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    lines = ['<!DOCTYPE RCC>', '<!-- Written by scripts/gen-images-qrc.py: edit the table there. -->',
             '<RCC version="1.0">', '<qresource prefix="/vximages">']
    for row in TABLE.split("\n"):
        if not row.strip():
            continue
        name, icon = row.split()
        for size in (16, 32):
            path = f"{THEME}/{size}x{size}/{icon}.png"
            if not os.path.exists(path):
                sys.exit(f"missing icon {path}")
            lines.append(f'  <file alias="{size}/{name}.png">{path}</file>')
    lines += ['</qresource>', '</RCC>', '']
    with open(os.path.join(top, "platform", "images.qrc"), "w") as f:
        f.write("\n".join(lines))

main()
